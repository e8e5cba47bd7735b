; ----------------------------------------------------------
;  waveform_asm.nas          Morvella -- Tin Lantern
;
;  wf_render: the lantern's voice box.  A phase accumulator
;  runs from 0 to 1 and one of four shapes is read off it:
;  saw (polyBLEP smoothed, so it does not alias), square,
;  triangle and a two-parabola sine, 1024 floats a call.
;  wf_scope then squeezes that buffer onto the screen.
;
;  float *wf_render(int shape, float hz)   shape 0..3
;  int wf_scope(int *y, int cols, int height)
;
;  32-bit cdecl; eax/ecx/edx scratch, the rest preserved.
;  nasm -f elf32 waveform_asm.nas
; ----------------------------------------------------------
        bits 32

%define WF_LEN  1024            ; samples per render call

        section .data
wf_jump:        dd osc_saw, osc_square, osc_tri, osc_sine
wf_srate:       dd 44100.0
wf_phase:       dd 0.0          ; where the last call ended
wf_one:         dd 1.0
wf_mone:        dd -1.0
wf_half:        dd 0.5
wf_four:        dd 4.0
wf_p:           dd 0.225        ; sine polish factor
wf_absmask:     dd 0x7fffffff   ; clears the sign bit

        section .bss
        alignb 16
wf_buffer:      resd WF_LEN

        section .text
        global wf_render
        global wf_scope

; every osc: in xmm0 = phase t in [0,1), xmm1 = dt
;            out xmm0 = sample in [-1,1], trash xmm2-4
osc_saw:                                ; 2t - 1, minus a
        movss   xmm2, xmm0              ; polyBLEP where it
        addss   xmm0, xmm0              ; jumps back down
        subss   xmm0, [wf_one]
        comiss  xmm2, xmm1
        jb      .head                   ; t < dt: just wrapped
        movss   xmm3, [wf_one]
        subss   xmm3, xmm1
        comiss  xmm2, xmm3
        ja      .tail                   ; t > 1-dt: wraps soon
        ret
.head:                                  ; x = t/dt:
        divss   xmm2, xmm1              ; y -= 2x - x*x - 1
        subss   xmm2, [wf_one]          ; which is y += (x-1)^2
        mulss   xmm2, xmm2
        addss   xmm0, xmm2
        ret
.tail:                                  ; x = (t-1)/dt:
        subss   xmm2, [wf_one]          ; y -= x*x + 2x + 1
        divss   xmm2, xmm1              ; which is (x+1)^2
        addss   xmm2, [wf_one]
        mulss   xmm2, xmm2
        subss   xmm0, xmm2
        ret

osc_square:                             ; high, then low
        comiss  xmm0, [wf_half]
        movss   xmm0, [wf_one]          ; movss leaves flags
        jb      .out
        movss   xmm0, [wf_mone]
.out:
        ret

osc_tri:                                ; 4|t - 1/2| - 1
        subss   xmm0, [wf_half]
        movss   xmm2, [wf_absmask]
        andps   xmm0, xmm2
        mulss   xmm0, [wf_four]
        subss   xmm0, [wf_one]
        ret

osc_sine:                               ; x = 1 - 2t, then
        addss   xmm0, xmm0              ; y = 4x(1 - |x|)
        movss   xmm2, [wf_one]
        subss   xmm2, xmm0
        movss   xmm4, [wf_absmask]
        movss   xmm3, xmm2
        andps   xmm3, xmm4              ; |x|
        movss   xmm0, [wf_one]
        subss   xmm0, xmm3
        mulss   xmm0, xmm2
        mulss   xmm0, [wf_four]         ; two parabolas
        movss   xmm3, xmm0              ; polish once:
        andps   xmm3, xmm4              ; y += p*(y|y| - y)
        mulss   xmm3, xmm0
        subss   xmm3, xmm0
        mulss   xmm3, [wf_p]
        addss   xmm0, xmm3              ; worst error ~0.001
        ret

wf_render:
        push    ebp
        mov     ebp, esp
        push    ebx
        push    edi
        mov     eax, [ebp+8]            ; shape
        and     eax, 3                  ; four, no surprises
        mov     ebx, [wf_jump+eax*4]
        movss   xmm1, [ebp+12]
        divss   xmm1, [wf_srate]        ; dt = hz / fs
        movss   xmm5, [wf_phase]
        mov     edi, wf_buffer
        mov     ecx, WF_LEN
.next:
        movss   xmm0, xmm5
        call    ebx                     ; one sample
        movss   [edi], xmm0
        add     edi, 4
        addss   xmm5, xmm1              ; t += dt
        comiss  xmm5, [wf_one]
        jb      .inside
        subss   xmm5, [wf_one]          ; t stays in [0,1)
.inside:
        dec     ecx
        jnz     .next
        movss   [wf_phase], xmm5        ; next call continues
        mov     eax, wf_buffer
        pop     edi
        pop     ebx
        pop     ebp
        ret

wf_scope:
        push    ebp
        mov     ebp, esp
        push    ebx
        push    edi
        mov     edi, [ebp+8]            ; edi -> y out
        mov     ecx, [ebp+12]           ; cols, up to WF_LEN
        cvtsi2ss xmm2, dword [ebp+16]
        mulss   xmm2, [wf_half]         ; h/2: centre, scale
        xor     ebx, ebx
        test    ecx, ecx
        jle     .done
.col:
        imul    eax, ebx, WF_LEN        ; i = col*WF_LEN/cols
        cdq
        idiv    ecx
        movss   xmm0, [wf_buffer+eax*4]
        mulss   xmm0, xmm2
        movss   xmm1, xmm2
        subss   xmm1, xmm0              ; y = h/2 - s*h/2
        cvtss2si eax, xmm1              ; +1 is the top row
        xor     edx, edx                ; clamp to 0..h-1,
        test    eax, eax                ; as s = -1 would
        cmovl   eax, edx                ; land on row h
        mov     edx, [ebp+16]
        dec     edx
        cmp     eax, edx
        cmovg   eax, edx
        mov     [edi+ebx*4], eax
        inc     ebx
        cmp     ebx, ecx
        jl      .col
.done:
        mov     eax, ebx                ; columns written
        pop     edi
        pop     ebx
        pop     ebp
        ret
